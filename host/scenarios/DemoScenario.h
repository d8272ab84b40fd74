// The built-in demo: the strip's life in a minute, as a scenario.
#pragma once

extern const wchar_t DemoScenarioText[];
