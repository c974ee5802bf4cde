// Waiting a moment while the window stays responsive.
#pragma once

namespace qv {

/// Returns once more than `ms` milliseconds have passed, processing events all the while (no
/// busy loop: it sleeps until the next event or the end of the wait).
void Pause(int ms);

}  // namespace qv
