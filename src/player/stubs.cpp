// Stand-ins until the files that own these land; each owner deletes its block here.
#include "player/lumivex_app.h"

