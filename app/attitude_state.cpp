#include "attitude_state.h"

AttitudeState attitudeState;
