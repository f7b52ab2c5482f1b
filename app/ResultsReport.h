// The summary of replicated runs, made from their results alone, so that a
// local run and `tarnwell merge` of results computed elsewhere print the
// same thing. Without a sweep: the heading and every figure's mean with its
// 95 % half-width. With one: a row per point, with the model's key figures.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "app/Replication.h"

// `results` in any order; `remark` (if any) goes between the heading and
// the figures.
void PrintResults(std::ostream& out, const std::vector<ReplicationResult>& results,
                  const std::string& remark = std::string());

// tarnwell merge RESULTS...: reads result files (--result) and prints their
// summary. Returns the exit status: 0, 1 when a result is of a failed run,
// 2 when a file cannot be read or is not a result.
int MergeResults(const std::vector<std::string>& paths, std::ostream& out, std::ostream& err);
