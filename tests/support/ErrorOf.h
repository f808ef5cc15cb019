#pragma once

#include <string>

// The message of the E that f raises, or "<no error>" when it raises none; any other
// exception goes on and fails the test that called it.
template <class E, class F>
std::string ErrorOf(F&& f)
{
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    return "<no error>";
}
