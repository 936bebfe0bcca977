#pragma once

// A property a fuzz target checks. Unlike assert it stays on in release
// builds, and it aborts, so both libFuzzer and the corpus replay see a
// broken property as a crash and keep the input.
#define FUZZ_CHECK(condition) ((condition) ? void() : FuzzCheckFailed(#condition, __FILE__, __LINE__))

[[noreturn]] void FuzzCheckFailed(const char* condition, const char* file, int line);
