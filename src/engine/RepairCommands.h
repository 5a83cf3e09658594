// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/Functions.h"

#include <QString>
#include <QStringView>
#include <span>

namespace quillet {

/// The choices that steer the repair commands: the window's options, the batch tool's
/// flags.
struct RepairSettings {
    /// Fix File by the HTML5 parser instead of the word lists.
    bool html5 = false;
    /// What Strip Newlines does with a line feed that no carriage return comes before.
    LoneLineFeeds lineFeeds = LoneLineFeeds::Keep;
};

/// The repair commands, in the order of the table.
enum class RepairId { Fix, StripNewlines, StripSpaces };

/// One repair command, as the window and the batch tool both offer it.
struct RepairCommand {
    RepairId id;
    /// The batch tool's command word: "fix", "strip-newlines", "strip-spaces".
    const char* name;
    /// The command's name in the window: "Fix File", ...
    const char* title;
    /// What the command counts, and what it does to each: "</p>" and "added", "line
    /// breaks" and "removed", "spaces" and "removed".
    const char* counted;
    const char* done;
    /// Runs the command on `text`. `shared`, when given, is the same text as a string,
    /// which the HTML5 parser shares instead of copying the text.
    RepairResult (*run)(Functions& engine, const TextUnits& text, const QString* shared,
                        const RepairSettings& settings);
    /// How many of what it counts a completed run on `text` added or removed.
    qint64 (*count)(const TextUnits& text, const RepairResult& result);
    /// The batch tool's help: the command's own options ("[--join-lf]"; empty for none),
    /// what it does, and, for a command that has an HTML5 mode, what it does in that mode
    /// (null for none).
    const char* options;
    const char* summary;
    const char* html5Summary;

    /// Whether the command needs the word lists with `settings`.
    bool needsWordLists(const RepairSettings& settings) const {
        return id == RepairId::Fix && !settings.html5;
    }
    /// "3 </p> added", or when `would`, "3 </p> would be added".
    QString countText(qint64 count, bool would) const;
};

/// Every repair command, in the order of RepairId.
std::span<const RepairCommand> RepairCommands();
/// The command `id`.
const RepairCommand& GetRepairCommand(RepairId id);
/// The command whose batch-tool word is `name`; null when there is none.
const RepairCommand* FindRepairCommand(QStringView name);
/// Whether a completed repair of `text` changed it (a result in insertions or kept
/// stretches, as the routines give on TextUnits).
bool RepairChanges(const TextUnits& text, const RepairResult& result);

}  // namespace quillet
