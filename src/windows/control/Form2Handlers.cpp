#include "windows/control/Form2.h"

void Form2::connectHandlers() {}
