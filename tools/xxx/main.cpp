// xxx: list, unpack and pack picture and sound containers.
#include "tools/xxx/xxx.h"

int main(int argc, char** argv) { return xxx::Main(argc, argv); }
