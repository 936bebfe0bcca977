#pragma once

// The text of entry 0 of both serial port lists: choosing it reloads them.
inline const char* const kRefreshEntry = "刷新";
