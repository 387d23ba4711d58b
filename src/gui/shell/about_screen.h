#pragma once

#include <QDialog>

// "About Lexorium": the program's name, version and notices.
class AboutScreen : public QDialog
{
    Q_OBJECT

public:
    explicit AboutScreen(QWidget* parent = nullptr);
};
