#pragma once
// Replays a ParamPlan on a new engine parameter set.

#include "ConvertParams.h"
#include <zentrix.hpp>

#include <string>

// Null when the engine cannot create a set. A setter that refuses its value
// (out of range) leaves the engine's default in place; the names of such
// setters are appended to *refused, comma-separated, when given.
zxh::ParamsPtr createParamSet(const ParamPlan &plan, std::string *refused = nullptr);
