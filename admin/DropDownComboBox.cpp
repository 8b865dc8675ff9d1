#include "admin/DropDownComboBox.h"

void DropDownComboBox::showPopup()
{
    Q_EMIT aboutToDropDown();
    QComboBox::showPopup();
}
