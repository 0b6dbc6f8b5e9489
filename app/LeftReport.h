#pragma once
// The message after a run that left entries unshredded: each entry with what kept it.
#include "engine/ShredRun.h"

#include <string>
#include <vector>

std::string LeftReport(const std::vector<LeftEntry>& left);
