// The program's version resource, kept in the executable where tools can read it
// (`strings tessarel | grep Version`). The file version is also the application's version.

extern const char kVersionResource[];
[[gnu::used]] const char kVersionResource[] =
    "FileVersion=" TESSAREL_FILE_VERSION ";ProductVersion=" TESSAREL_PRODUCT_VERSION ";Language=en-US";
