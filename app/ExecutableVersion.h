#pragma once
// The version information compiled into the vessik executable (generated from
// the project version at configure time). Only the executable defines it.

#include <QByteArray>

QByteArray ExecutableVersionInfo();
