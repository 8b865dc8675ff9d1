#pragma once

class QDBusConnection;

// Powers the machine off through systemd-logind and reports whether logind accepted. No system bus, no
// logind, a refusal (polkit, an inhibitor) or no answer in time all leave the machine running and answer
// false. With PARLUNE_DRY_POWER_OFF set in the environment it only writes "power-off requested" to stderr
// and answers true.
bool PowerOffHost();

// The request itself, on the given bus: true only for a plain reply to logind's PowerOff.
bool RequestLogindPowerOff(const QDBusConnection &bus, int timeoutMs = 5000);
