#include "gui/shell/about_screen.h"

#include "gui/common/icons.h"

#include <QGridLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

AboutScreen::AboutScreen(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("CS06000801"));
    setWindowTitle(QStringLiteral("About Lexorium"));

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Img0008"));
    picture->setPixmap(QPixmap(Icons::path(QStringLiteral("about"))));
    picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    const QStringList texts{
        QStringLiteral("Lexorium"),
        QStringLiteral("Version ") + QLatin1String(LEXORIUM_VERSION),
        QStringLiteral("A private database of law-report citations."),
        QStringLiteral("This program is provided as is, without warranty of any kind. The citations, texts and "
                       "notes you keep in it are yours alone."),
        QStringLiteral("Icons from the Tango icon theme, in the public domain."),
        QString(),
    };
    auto* grid = new QGridLayout(this);
    grid->addWidget(picture, 0, 0, int(texts.size()), 1);
    for (int i = 0; i < texts.size(); ++i) {
        auto* label = new QLabel(texts[i], this);
        label->setObjectName(QStringLiteral("Lbl0008(%1)").arg(i));
        label->setWordWrap(true);
        grid->addWidget(label, i, 1);
    }
    for (int i : {2, 5}) {
        auto* label = findChild<QLabel*>(QStringLiteral("Lbl0008(%1)").arg(i));
        QFont f = label->font();
        f.setPointSize(10);
        label->setFont(f);
    }
    findChild<QLabel*>(QStringLiteral("Lbl0008(5)"))->setText(QString(QChar(169)));

    auto* ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setObjectName(QStringLiteral("Cmd0008"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    grid->addWidget(ok, int(texts.size()), 1, Qt::AlignRight);
}
