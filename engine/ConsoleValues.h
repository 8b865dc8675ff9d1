#pragma once

#include <QByteArray>

// What the console holds for the whole run besides its tables; all code page 950 bytes.
struct ConsoleValues
{
    QByteArray OwnNickname;
    QByteArray OwnFace; // a BMP file's bytes, at most 30000, empty without a picture
    QByteArray OwnAddress;
    QByteArray OwnPassword;
    QByteArray AutoReplyText; // an RTF document
    QByteArray ImeName;
    QByteArray AsideRecipient;
    QByteArray AsideContent;
};
