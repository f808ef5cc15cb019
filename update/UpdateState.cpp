#include "update/UpdateState.h"

std::atomic<std::uint16_t> ServerBuild{0};
TSharedString ServerVersionText;
TSharedString ServerPackageSha256;
std::string PackagePath = "Setup.7z";

void ResetUpdateState()
{
    ServerBuild = 0;
    ServerVersionText.Set({});
    ServerPackageSha256.Set({});
    PackagePath = "Setup.7z";
}
