// SPDX-License-Identifier: GPL-3.0-or-later
// Sanitizer settings built into the test programs, so that they hold however a test is started
// (CTest, test discovery, by hand). Leaks of the system's font and display libraries are not ours.

extern "C" const char* __asan_default_options() {
    return "detect_leaks=1:abort_on_error=0";
}
extern "C" const char* __ubsan_default_options() {
    return "print_stacktrace=1:halt_on_error=1";
}
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\nleak:libfreetype\nleak:libglib\nleak:libdbus\nleak:libxcb\n";
}
extern "C" const char* __tsan_default_options() {
    return "second_deadlock_stack=1";
}
