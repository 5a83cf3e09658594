// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

namespace quillet {

/// The encodings the user chose for pages with File › Reopen with Encoding, by the page's
/// absolute path, so that the page opens in the same encoding next time. Kept in the
/// settings under "encoding/pages", the most recent first, at most kLimit pages.
class EncodingChoices {
  public:
    static constexpr int kLimit = 100;

    /// The name of the encoding chosen for the page at `path`, if one was.
    std::optional<QString> forPage(const QString& path) const;
    /// Remembers `encoding` for the page at `path`; with no encoding, forgets the choice.
    void remember(const QString& path, const std::optional<QString>& encoding);
};

}  // namespace quillet
