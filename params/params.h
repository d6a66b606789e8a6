// The face of the parameters layer: the record, its current instance,
// length-prefixed strings and number text.
#pragma once

#include "params/block_file.h"
#include "params/filter_params.h"
#include "params/pstring.h"
#include "params/settings_path.h"
