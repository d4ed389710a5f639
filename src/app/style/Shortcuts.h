#pragma once

#include <QKeySequence>

namespace pm {

// The window's keys, in one place so that the menus, the tooltips and the guide say the same.
namespace keys {
inline QKeySequence save() {
    return QKeySequence(Qt::CTRL | Qt::Key_S);
}
inline QKeySequence print() {
    return QKeySequence(Qt::CTRL | Qt::Key_P);
}
inline QKeySequence openRecording() {
    return QKeySequence(Qt::CTRL | Qt::Key_O);
}
inline QKeySequence quit() {
    return QKeySequence(Qt::CTRL | Qt::Key_Q);
}
inline QKeySequence guide() {
    return QKeySequence(Qt::Key_F1);
}
// Ctrl+1 for the first tab, up to Ctrl+9.
inline QKeySequence tab(int index) {
    return QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + index));
}
} // namespace keys

// "Save (Ctrl+S)": a tooltip that names the key too.
inline QString withKey(const QString& text, const QKeySequence& key) {
    return QStringLiteral("%1 (%2)").arg(text, key.toString(QKeySequence::NativeText));
}

} // namespace pm
