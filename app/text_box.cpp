#include "app/text_box.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

void showTextBox(QWidget* parent, const QString& title, const QString& html) {
    QDialog box(parent);
    box.setObjectName(QStringLiteral("textBox"));
    box.setWindowTitle(title);
    auto* label = new QLabel(html);
    label->setWordWrap(true);
    label->setTextFormat(Qt::RichText);
    label->setMargin(6);
    auto* scroller = new QScrollArea(&box);
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(true);
    scroller->setWidget(label);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &box);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    auto* layout = new QVBoxLayout(&box);
    layout->addWidget(scroller);
    layout->addWidget(buttons);
    // Nine tenths of the screen at most, for its frame and panels.
    const QSize room = box.screen()->availableGeometry().size() * 9 / 10;
    const int width = std::min(560, room.width());
    const QMargins margins = layout->contentsMargins();
    const int inner = width - margins.left() - margins.right();
    const int height = margins.top() + label->heightForWidth(inner) + layout->spacing() +
                       buttons->sizeHint().height() + margins.bottom();
    box.resize(width, std::min(height, room.height()));
    box.exec();
}
