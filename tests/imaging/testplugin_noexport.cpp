// A test plug-in that loads but has no GetPicture.
extern "C" __attribute__((visibility("default"))) int GetPluginInfo(int, char*, int) {
    return 0;
}
