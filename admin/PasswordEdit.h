#pragma once

#include <QLineEdit>

// A password edit that shows the character "0" for every typed character, as the program's password edits
// always did, whatever the style's own mask character is.
class PasswordEdit final : public QLineEdit
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PasswordEdit)

public:
    static constexpr char16_t MaskCharacter = u'0';

    explicit PasswordEdit(QWidget *parent = nullptr);
};
