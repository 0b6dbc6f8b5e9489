#pragma once
// The message after a run that left entries unshredded (each entry with what kept it), or
// that could not hide the names of files it shredded.
#include "engine/ShredRun.h"

#include <string>
#include <vector>

std::string LeftReport(const std::vector<LeftEntry>& left, const std::vector<ToldEntry>& told);
// Whether a run's outcome has anything for that message.
bool LeftReportNeeded(const std::vector<LeftEntry>& left, const std::vector<ToldEntry>& told);
