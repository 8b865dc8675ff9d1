#pragma once

#include <QDialog>

// The modal About box: title, version and build date of this program.
class AboutBox final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AboutBox)

public:
    explicit AboutBox(QWidget *parent = nullptr);
    ~AboutBox() override;

    static QString version();
    static QString buildDate();
};
