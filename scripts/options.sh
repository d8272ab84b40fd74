# What the scripts share: their options read one way and their leftovers
# removed however they end. Each script sets `usage` before sourcing this.
#
# `--help` prints the usage and exits 0; a missing value, an unknown option
# or a wrong value prints what is wrong and the usage, and exits 2 at once.
usage_error() {
  echo "$(basename "$0"): $*" >&2
  echo "$usage" >&2
  exit 2
}
need_value() {  # OPTION [VALUE]: a value that is not another option
  [ $# -ge 2 ] && [ -n "$2" ] && [ "${2#-}" = "$2" ] || usage_error "$1 needs a value"
}
need_number() {
  need_value "$@"
  [[ "$2" =~ ^[0-9]+$ ]] || usage_error "$1 takes a whole number, not '$2'"
}

# Options that are flags alone, each one of the words in $1: those given go
# into `flags`.
take_flags() {
  local known="$1" arg
  shift
  flags=()
  for arg in "$@"; do
    case "$arg" in
      -h|--help) echo "$usage"; exit 0 ;;
      *) [[ " $known " == *" $arg "* ]] || usage_error "unknown option '$arg'"; flags+=("$arg") ;;
    esac
  done
}

# The ctest options test.sh and soak.sh pass on, collected in ctest_args.
ctest_args=()
take_ctest_options() {
  while [ $# -gt 0 ]; do
    case "$1" in
      -h|--help) echo "$usage"; exit 0 ;;
      -R|-E|-L|-LE) need_value "$@"; ctest_args+=("$1" "$2"); shift 2 ;;
      -j) need_number "$@"; ctest_args+=("$1" "$2"); shift 2 ;;
      --output-on-failure|-V) ctest_args+=("$1"); shift ;;
      *) usage_error "unknown option '$1'" ;;
    esac
  done
}

# Commands run when the script ends, however it ends: Ctrl-C ends it with 130,
# SIGTERM with 143, as shells do.
leftovers=()
at_exit() { leftovers+=("$(printf '%q ' "$@")"); }
run_leftovers() {
  local i
  for ((i = ${#leftovers[@]} - 1; i >= 0; i--)); do eval "${leftovers[i]}"; done
}
trap run_leftovers EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
