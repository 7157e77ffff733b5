// Compiled only to make the tests' precompiled header (tests/CMakeLists.txt).
