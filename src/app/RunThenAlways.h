#pragma once

// Runs `steps`, then `always`, also when `steps` raises; the first error then goes on.
// The cleanup after a clip or an editor step that must happen on every path.
template <class Steps, class Always> void RunThenAlways(Steps&& steps, Always&& always)
{
    try {
        steps();
    } catch (...) {
        always();
        throw;
    }
    always();
}
