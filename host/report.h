// The host's account of a session as text: one fact per line, in a fixed
// form that end-to-end tests match ("selector start: -108").
#pragma once

#include <string>

#include "host/session.h"

std::string DescribeHostSetup(const HostSession &session);
std::string DescribeInvocation(const HostSession &session, size_t index,
                               bool timing, bool logRequests);
std::string DescribeHandles(const HostSession &session);
std::string DescribeCallbacks(const HostSession &session);
std::string DescribeFailures(const HostSession &session);
std::string RectText(const Rect &r);
// The names the command line takes and the report prints.
const char *ScriptingModeName(ScriptingMode mode);
const char *PlayInfoName(int16_t playInfo);
