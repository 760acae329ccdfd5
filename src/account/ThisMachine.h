#pragma once

// Whether a server name stands for this machine: "localhost" and names below it, the loopback
// addresses (127.0.0.0/8, ::1, also IPv4-mapped), the unspecified address, the machine's own host
// name, and the addresses of its own network interfaces. A password sent to such a server never
// crosses the network. Asks no DNS server, so the window thread may call it.

#include <QString>

bool IsOnThisMachine(const QString& host);
