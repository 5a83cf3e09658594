// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/UnifiedDiff.h"

#include <QHashFunctions>
#include <algorithm>
#include <unordered_map>
#include <vector>

namespace quillet {

namespace {

/// Stretches whose sides multiply to at most this are matched in full (a table of this
/// many 16-bit cells).
constexpr qsizetype kFullMatchCells = qsizetype(1) << 20;

std::vector<QByteArrayView> SplitLines(QByteArrayView text) {
    std::vector<QByteArrayView> lines;
    qsizetype from = 0;
    while (from < text.size()) {
        const qsizetype end = text.indexOf('\n', from);
        const qsizetype next = end < 0 ? text.size() : end + 1;
        lines.push_back(text.sliced(from, next - from));
        from = next;
    }
    return lines;
}

struct ViewHash {
    size_t operator()(QByteArrayView line) const noexcept { return qHash(line); }
};

/// Matches the lines of two versions, each line given as a number that equal lines share.
class LineMatcher {
  public:
    LineMatcher(const std::vector<int>& a, const std::vector<int>& b) : a_(a), b_(b) {}

    /// The pairs of matched lines (index in a, index in b), ascending in both.
    std::vector<std::pair<qsizetype, qsizetype>> match() {
        std::vector<Stretch> todo{{0, qsizetype(a_.size()), 0, qsizetype(b_.size())}};
        while (!todo.empty()) {
            Stretch s = todo.back();
            todo.pop_back();
            // Equal lines at both ends.
            while (s.a0 < s.a1 && s.b0 < s.b1 && a_[s.a0] == b_[s.b0])
                matched_.push_back({s.a0++, s.b0++});
            while (s.a0 < s.a1 && s.b0 < s.b1 && a_[s.a1 - 1] == b_[s.b1 - 1]) {
                matched_.push_back({--s.a1, --s.b1});
            }
            if (s.a0 == s.a1 || s.b0 == s.b1) continue;
            if ((s.a1 - s.a0) * (s.b1 - s.b0) <= kFullMatchCells) {
                matchInFull(s);
                continue;
            }
            // Split at the lines found once on each side, the longest run of them in order.
            const std::vector<std::pair<qsizetype, qsizetype>> anchors = uniqueAnchors(s);
            Stretch rest = s;
            for (const auto& [i, j] : anchors) {
                matched_.push_back({i, j});
                todo.push_back({rest.a0, i, rest.b0, j});
                rest.a0 = i + 1;
                rest.b0 = j + 1;
            }
            if (!anchors.empty()) todo.push_back(rest);
            // Without anchors, the stretch stays unmatched: removed and added whole.
        }
        std::sort(matched_.begin(), matched_.end());
        return std::move(matched_);
    }

  private:
    struct Stretch {
        qsizetype a0, a1, b0, b1;
    };

    void matchInFull(const Stretch& s) {
        const qsizetype n = s.a1 - s.a0;
        const qsizetype m = s.b1 - s.b0;
        // lcs[i][j]: the longest common subsequence of a[i..] and b[j..] of the stretch.
        std::vector<quint16> lcs(size_t((n + 1) * (m + 1)), 0);
        const auto at = [&](qsizetype i, qsizetype j) -> quint16& {
            return lcs[size_t(i * (m + 1) + j)];
        };
        for (qsizetype i = n - 1; i >= 0; --i) {
            for (qsizetype j = m - 1; j >= 0; --j) {
                at(i, j) = a_[s.a0 + i] == b_[s.b0 + j] ? quint16(at(i + 1, j + 1) + 1)
                                                        : std::max(at(i + 1, j), at(i, j + 1));
            }
        }
        for (qsizetype i = 0, j = 0; i < n && j < m;) {
            if (a_[s.a0 + i] == b_[s.b0 + j]) {
                matched_.push_back({s.a0 + i++, s.b0 + j++});
            } else if (at(i + 1, j) >= at(i, j + 1)) {
                ++i;
            } else {
                ++j;
            }
        }
    }

    std::vector<std::pair<qsizetype, qsizetype>> uniqueAnchors(const Stretch& s) const {
        // For each line number: how often on each side, and where on the right.
        struct Seen {
            int left = 0;
            int right = 0;
            qsizetype at = 0;
        };
        std::unordered_map<int, Seen> seen;
        for (qsizetype i = s.a0; i < s.a1; ++i) ++seen[a_[i]].left;
        for (qsizetype j = s.b0; j < s.b1; ++j) {
            Seen& line = seen[b_[j]];
            ++line.right;
            line.at = j;
        }
        std::vector<std::pair<qsizetype, qsizetype>> pairs;
        for (qsizetype i = s.a0; i < s.a1; ++i) {
            const Seen& line = seen[a_[i]];
            if (line.left == 1 && line.right == 1) pairs.push_back({i, line.at});
        }
        // The longest run of the pairs ascending on the right too (patience sorting).
        std::vector<qsizetype> tails;  // pair index ending the best run of each length
        std::vector<qsizetype> before(pairs.size(), -1);
        for (qsizetype k = 0; k < qsizetype(pairs.size()); ++k) {
            const auto place = std::lower_bound(
                tails.begin(), tails.end(), pairs[size_t(k)].second,
                [&](qsizetype index, qsizetype j) { return pairs[size_t(index)].second < j; });
            if (place != tails.begin()) before[size_t(k)] = *(place - 1);
            if (place == tails.end()) {
                tails.push_back(k);
            } else {
                *place = k;
            }
        }
        std::vector<std::pair<qsizetype, qsizetype>> run;
        for (qsizetype k = tails.empty() ? -1 : tails.back(); k >= 0; k = before[size_t(k)]) {
            run.push_back(pairs[size_t(k)]);
        }
        std::reverse(run.begin(), run.end());
        return run;
    }

    const std::vector<int>& a_;
    const std::vector<int>& b_;
    std::vector<std::pair<qsizetype, qsizetype>> matched_;
};

/// "start,count" of a hunk's side, as diff writes it: the count left out when it is 1, and
/// the line before the hunk as its start when it is 0.
QByteArray Range(qsizetype start, qsizetype count) {
    if (count == 1) return QByteArray::number(start + 1);
    return QByteArray::number(count == 0 ? start : start + 1) + ',' + QByteArray::number(count);
}

void AppendLine(QByteArray& out, char mark, QByteArrayView line) {
    out.append(mark).append(line);
    if (!line.endsWith('\n')) out.append("\n\\ No newline at end of file\n");
}

}  // namespace

QByteArray UnifiedDiff(QByteArrayView before, QByteArrayView after, QByteArrayView path,
                       int context) {
    if (before == after) return {};
    const std::vector<QByteArrayView> a = SplitLines(before);
    const std::vector<QByteArrayView> b = SplitLines(after);
    // Each distinct line becomes a number.
    std::unordered_map<QByteArrayView, int, ViewHash> numbers;
    const auto numbered = [&](const std::vector<QByteArrayView>& lines) {
        std::vector<int> ids;
        ids.reserve(lines.size());
        for (const QByteArrayView line : lines) {
            ids.push_back(numbers.try_emplace(line, int(numbers.size())).first->second);
        }
        return ids;
    };
    const std::vector<int> aIds = numbered(a);
    const std::vector<int> bIds = numbered(b);
    const std::vector<std::pair<qsizetype, qsizetype>> matched = LineMatcher(aIds, bIds).match();

    // The script: each line of `before` kept or removed, each of `after` kept or added.
    enum class Kind { Equal, Removed, Added };
    struct Step {
        Kind kind;
        qsizetype a;  // the line of `before` at this step (or before which it stands)
        qsizetype b;  // the same in `after`
    };
    std::vector<Step> script;
    script.reserve(a.size() + b.size());
    qsizetype i = 0;
    qsizetype j = 0;
    const auto changesUpTo = [&](qsizetype toA, qsizetype toB) {
        for (; i < toA; ++i) script.push_back({Kind::Removed, i, j});
        for (; j < toB; ++j) script.push_back({Kind::Added, i, j});
    };
    for (const auto& [mi, mj] : matched) {
        changesUpTo(mi, mj);
        script.push_back({Kind::Equal, i++, j++});
    }
    changesUpTo(qsizetype(a.size()), qsizetype(b.size()));

    QByteArray out;
    out.append("--- a/").append(path).append("\n+++ b/").append(path).append('\n');
    const qsizetype steps = qsizetype(script.size());
    for (qsizetype at = 0; at < steps;) {
        if (script[size_t(at)].kind == Kind::Equal) {
            ++at;
            continue;
        }
        // A hunk: the changes from here on as long as no more than 2 × context equal lines
        // part them, with context lines on either side.
        const qsizetype first = std::max<qsizetype>(0, at - context);
        qsizetype changed = at;  // one past the last change so far
        for (qsizetype k = at; k < steps;) {
            if (script[size_t(k)].kind != Kind::Equal) {
                changed = ++k;
                continue;
            }
            qsizetype equal = k;
            while (equal < steps && script[size_t(equal)].kind == Kind::Equal) ++equal;
            if (equal == steps || equal - k > 2 * context) break;
            k = equal;
        }
        const qsizetype last = std::min(steps, changed + context);
        QByteArray body;
        qsizetype countA = 0;
        qsizetype countB = 0;
        for (qsizetype k = first; k < last; ++k) {
            const Step& step = script[size_t(k)];
            if (step.kind == Kind::Added) {
                AppendLine(body, '+', b[size_t(step.b)]);
            } else {
                AppendLine(body, step.kind == Kind::Equal ? ' ' : '-', a[size_t(step.a)]);
            }
            countA += step.kind != Kind::Added;
            countB += step.kind != Kind::Removed;
        }
        out.append("@@ -")
            .append(Range(script[size_t(first)].a, countA))
            .append(" +")
            .append(Range(script[size_t(first)].b, countB))
            .append(" @@\n")
            .append(body);
        at = last;
    }
    return out;
}

}  // namespace quillet
