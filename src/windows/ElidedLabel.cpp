// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/ElidedLabel.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace quillet {

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

QString ElidedLabel::shownText() const {
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, contentsRect().width());
}

bool ElidedLabel::isElided() const {
    return shownText() != text();
}

QSize ElidedLabel::minimumSizeHint() const {
    // Room for a few characters around the "…".
    const QMargins margins = contentsMargins();
    return {fontMetrics().horizontalAdvance(QStringLiteral("Wo\u2026db")) + margins.left() +
                margins.right(),
            QLabel::minimumSizeHint().height()};
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawItemText(&painter, contentsRect(), int(alignment()), option.palette, isEnabled(),
                          shownText(), foregroundRole());
}

}  // namespace quillet
