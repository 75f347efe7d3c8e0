#include "gui/downloader/fetchwell_about_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillon {

QString FetchwellVersionLine() {
    return QStringLiteral("Fetchwell %1.%2").arg(QStringLiteral("1.1")).arg(1) + QStringLiteral(" 正式版");
}

QIcon FetchwellIcon() {
    QIcon icon;
    for (int side : {16, 32, 48, 64}) {
        QPixmap pm(side, side);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal s = side;
        // A book (two pages) with a downward arrow: chapters coming home.
        p.setPen(QPen(QColor(0x1C, 0x51, 0x80), qMax(1.0, s / 24)));
        p.setBrush(QColor(0xF4, 0xF1, 0xE6));
        p.drawRoundedRect(QRectF(s * 0.08, s * 0.18, s * 0.84, s * 0.70), s * 0.06, s * 0.06);
        p.drawLine(QPointF(s * 0.5, s * 0.20), QPointF(s * 0.5, s * 0.86));
        QPainterPath arrow;
        arrow.moveTo(s * 0.40, s * 0.06);
        arrow.lineTo(s * 0.60, s * 0.06);
        arrow.lineTo(s * 0.60, s * 0.42);
        arrow.lineTo(s * 0.74, s * 0.42);
        arrow.lineTo(s * 0.50, s * 0.66);
        arrow.lineTo(s * 0.26, s * 0.42);
        arrow.lineTo(s * 0.40, s * 0.42);
        arrow.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x21, 0xA1, 0x21));
        p.drawPath(arrow);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

FetchwellAboutDialog::FetchwellAboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("fetchwellAboutDialog"));
    setWindowTitle(QStringLiteral("关于 Fetchwell"));
    setWindowIcon(FetchwellIcon());
    auto* layout = new QHBoxLayout(this);
    auto* iconLabel = new QLabel(this);
    iconLabel->setPixmap(FetchwellIcon().pixmap(48, 48));
    iconLabel->setAlignment(Qt::AlignTop);
    layout->addWidget(iconLabel);
    auto* texts = new QVBoxLayout;
    auto* version = new QLabel(FetchwellVersionLine(), this);
    version->setObjectName(QStringLiteral("versionLabel"));
    texts->addWidget(version);
    auto* contact = new QLabel(QStringLiteral("小说章节下载工具，与 Quillon 阅读器配套使用。\n"
                                              "问题与建议请在开始页的留言板反馈。"),
                               this);
    contact->setObjectName(QStringLiteral("contactLabel"));
    texts->addWidget(contact);
    texts->addStretch();
    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    texts->addLayout(row);
    layout->addLayout(texts);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace quillon
