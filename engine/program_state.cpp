#include "engine/program_state.h"

namespace tesvo {

ProgramState state;

}  // namespace tesvo
