#include "core/mods/built_in_mods.h"

const char16_t BUILT_IN_MOD_FILTER_TEXT[] = u"Action Quake II\naction\n"
                                            u"CTF\nctf\n"
                                            u"D-Day\ndday\n"
                                            u"Deathmatch\nffa\n"
                                            u"Gloom\ngloom\n"
                                            u"KOTS\nkots\n"
                                            u"TDM / Duel\ntdm\n"
                                            u"Vortex\nvortex\n"
                                            u"Jump\njump\n"
                                            u"LOX\nlox\n"
                                            u"Rocket Arena 2\narena\n"
                                            u"WODX\nwodx\n";
