// The credit naming the program's maker, in UTF-8: the progress dialog shows it and the version
// block carries it. Plain #define only: the resource compiler reads this file too.
#pragma once

#define VELMORA_CREDIT "Velmora 项目组"
