// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/Utilities.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>

namespace quillet {

namespace {

MessageSink& Sink() {
    static MessageSink sink;
    return sink;
}

BeepSink& Beeper() {
    static BeepSink sink;
    return sink;
}

void Show(const QString& text, QWidget* parent) {
    if (Sink()) {
        Sink()(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, parent);
    FitTitle(box);
    box.exec();
}

}  // namespace

void Beep() {
    if (Beeper()) {
        Beeper()();
        return;
    }
    QApplication::beep();
}

void ShowMessage(const QString& text, QWidget* parent) {
    Beep();
    Show(text, parent);
}

void ShowNotice(const QString& text, QWidget* parent) {
    Show(text, parent);
}

namespace {

/// The access key of a button's text, lower-cased; a null character when it has none.
QChar AccessKey(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != u'&') continue;
        if (text[i + 1] != u'&') return text[i + 1].toLower();
        ++i;  // "&&" is an ampersand
    }
    return {};
}

}  // namespace

void GiveAccessKeys(const QList<QAbstractButton*>& buttons) {
    QString used;
    for (const QAbstractButton* button : buttons) {
        if (const QChar key = AccessKey(button->text()); !key.isNull()) used += key;
    }
    for (QAbstractButton* button : buttons) {
        QString text = button->text();
        if (!AccessKey(text).isNull()) continue;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            if (!c.isLetterOrNumber() || used.contains(c.toLower())) continue;
            used += c.toLower();
            text.insert(i, u'&');
            button->setText(text);
            break;
        }
    }
}

void FitTitle(QMessageBox& box) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid) return;
    // The window manager draws the title in a bold face, beside the window's icon and its
    // buttons, each about as wide as the bar is high.
    QFont titleFont = box.font();
    titleFont.setBold(true);
    const QFontMetrics metrics(titleFont);
    const int width = metrics.horizontalAdvance(box.windowTitle()) + 8 * metrics.height();
    // A message box takes its width from its layout: a row that needs the room makes it.
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

void SetMessageSink(MessageSink sink) {
    Sink() = std::move(sink);
}

void SetBeepSink(BeepSink sink) {
    Beeper() = std::move(sink);
}

}  // namespace quillet
