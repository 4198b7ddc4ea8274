#pragma once

class QString;
class QWidget;

// A modal box of rich text with an OK button, as QMessageBox::about shows one, but wide enough
// to stay on a small screen: the text wraps at about 560 pixels and scrolls where the screen is
// shorter than it.
void showTextBox(QWidget* parent, const QString& title, const QString& html);
