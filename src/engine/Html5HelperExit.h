// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace quillet {

/// The exit statuses of the HTML5 parser helper (quillet-html5-parse), which the program
/// that started it reads.
enum Html5HelperExit {
    kHelperDone = 0,         ///< the answer is written
    kHelperUsage = 2,        ///< it was started with arguments it does not take
    kHelperNoMemory = 3,     ///< the parse got no more memory
    kHelperReadFailed = 4,   ///< the page could not be read
    kHelperWriteFailed = 5,  ///< the answer could not be written
};

}  // namespace quillet
