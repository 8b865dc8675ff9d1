#pragma once

#include <QComboBox>

// A combo box that says when its list is about to drop down, so that the list can be filled just then.
class DropDownComboBox final : public QComboBox
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DropDownComboBox)

public:
    using QComboBox::QComboBox;

    void showPopup() override;

Q_SIGNALS:
    void aboutToDropDown();
};
