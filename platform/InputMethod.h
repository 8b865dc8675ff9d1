#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <memory>

// The input-method framework of the desktop session (IBus, Fcitx 5), seen as the list of input
// methods and the engine now active. Names are the frameworks' own engine names.
class InputMethodFramework
{
public:
    virtual ~InputMethodFramework() = default;
    // The engine active now, keyboard layouts included; empty when it cannot be told.
    virtual QByteArray activeEngine() = 0;
    // The input methods available to the user, keyboard layouts left out.
    virtual QByteArrayList inputMethods() = 0;
    virtual void activateEngine(const QByteArray &engine) = 0;
};

// The rules for naming and switching input methods. The list of input methods and the engine active at
// that moment are read once, at the first use, and kept. Names are code page 950 bytes.
class InputMethodSwitcher final
{
public:
    // A null framework means none runs: names are empty and nothing is switched.
    InputMethodSwitcher(std::unique_ptr<InputMethodFramework> framework, bool eastAsianLocale);
    Q_DISABLE_COPY_MOVE(InputMethodSwitcher)

    // The input method now active, empty for a plain keyboard layout.
    QByteArray currentImeName();
    // Switches to the named input method; an unknown name goes back to the engine active at first use.
    // Does nothing for " ", for the name active at first use (any case), without input methods, or
    // outside an East Asian locale.
    void activateIme(const QByteArray &name);

private:
    void readListOnce();

    std::unique_ptr<InputMethodFramework> m_framework;
    bool m_eastAsianLocale;
    bool m_listRead = false;
    QByteArrayList m_inputMethods;
    QByteArray m_firstEngine;
    QByteArray m_firstImeName;
};

// Whether the locale in effect (LC_ALL, else LC_CTYPE, else LANG) is Chinese, Japanese or Korean.
bool IsEastAsianLocale(const QByteArray &lcAll, const QByteArray &lcCtype, const QByteArray &lang);

// The framework that runs in this session, or null; asks only the session bus and the ibus command.
std::unique_ptr<InputMethodFramework> DetectInputMethodFramework();

// Engine names from the output of "ibus list-engine", with or without --name-only; no keyboard layouts.
QByteArrayList ParseIbusEngineList(const QByteArray &output);

// Process-wide, over the framework found at the first call (looked for only in an East Asian locale).
QByteArray CurrentImeName();
void ActivateIme(const QByteArray &name);
