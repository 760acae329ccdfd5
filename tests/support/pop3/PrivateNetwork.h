#pragma once

// A network of the test process's own, for tests that need the system's resolver to meet a DNS
// server the test controls: as root, the whole process moves into network and mount namespaces
// of its own, with only a loopback interface (brought up) and its own /etc/resolv.conf and
// /etc/hosts (bind-mounted over the real ones, which stay untouched outside). Must be called
// before the process has a second thread (first thing in main). False, and nothing changed,
// where that cannot be had (not root, unshare refused): callers skip what needs it.

#include <string>

bool EnterPrivateNetwork(const std::string& resolvConf, const std::string& hosts);

// Only the network namespace, with its loopback brought up: for tests that change routes or drop
// packets without touching the machine's own network. The same conditions as above.
bool EnterPrivateLoopback();

// A DNS server at 127.0.0.1:53 that takes every query and never reads, let alone answers, it: a
// bound socket that stays open for the rest of the run. False when the port cannot be had.
bool StartSilentDnsServer();
