#pragma once

#include <QDialog>

// "About Lexorium": the program's name, version and notices.
class CS06000801 : public QDialog
{
    Q_OBJECT

public:
    explicit CS06000801(QWidget* parent = nullptr);
};
