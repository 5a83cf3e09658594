// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

namespace quillet {

/// A one-line label that gives up room: given less width than its text needs, it shows
/// the text shortened in the middle with "…", so a long path keeps both its start and its
/// file name. Its text stays whole (text()); the shortened form is only drawn.
class ElidedLabel final : public QLabel {
    Q_OBJECT

  public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    /// The text as drawn in the label's present width.
    QString shownText() const;
    /// Whether the text is drawn shortened.
    bool isElided() const;

    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace quillet
