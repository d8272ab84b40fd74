# Prints the size of each file and fails for any larger than LIMIT bytes.
#   cmake -DLIMIT=65536 "-DFILES=a;b" -P SizeLimit.cmake
foreach(file ${FILES})
  file(SIZE ${file} size)
  message(STATUS "${file}: ${size} bytes (at most ${LIMIT})")
  if(size GREATER LIMIT)
    message(SEND_ERROR "${file} is ${size} bytes, more than ${LIMIT}")
  endif()
endforeach()
