#pragma once

// Bounds on the waits of a test. A test waits for a condition or a signal and
// goes on as soon as it comes; the bound only ends a wait for something that
// never comes. Each bound is given for a plain build on a machine whose every
// core is busy with other work (a quiet machine needs a small share of it),
// and grows with the build's own slowdown, which CTest gives each test in
// QUILLORA_TEST_SLOWDOWN (cmake/QuilloraTest.cmake).

#include <QtGlobal>

namespace TestTime {

inline int slowdown() {
    static const int factor = qMax(1, qEnvironmentVariableIntValue("QUILLORA_TEST_SLOWDOWN"));
    return factor;
}

inline int bound(int loadedMs) {
    return loadedMs * slowdown();
}

} // namespace TestTime
