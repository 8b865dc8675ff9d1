#pragma once

// Powers the machine off through systemd-logind. Whatever refuses (no system bus, no logind, polkit)
// leaves the machine running and nothing is reported. With PARLUNE_DRY_POWER_OFF set in the
// environment it only writes "power-off requested" to stderr.
void PowerOffHost();
