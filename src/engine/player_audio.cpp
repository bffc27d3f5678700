#include "engine/player_audio.h"

#include "media/api/interface_ref.h"
#include "media/api/media_type.h"
#include "media/api/uuids.h"

namespace {

bool PlayersDecode(const AM_MEDIA_TYPE& type) {
    return type.subtype == MEDIASUBTYPE_MP3 || type.subtype == MEDIASUBTYPE_MPEG1AudioPayload ||
           type.subtype == MEDIASUBTYPE_AC3 || type.subtype == MEDIASUBTYPE_PCM;
}

// What certified players play whatever else they claim: the profile's two sound formats.
bool CertifiedPlayersDecode(const AM_MEDIA_TYPE& type) {
    return type.subtype == MEDIASUBTYPE_MP3 || type.subtype == MEDIASUBTYPE_AC3;
}

}  // namespace

bool ConvertsToMp3(AudioChoice choice, IPin& audioSource) {
    if (choice == AudioChoice::Keep) return false;
    InterfaceRef<IEnumMediaTypes> types;
    if (FAILED(audioSource.EnumMediaTypes(types.Receive())) || !types) return false;
    AM_MEDIA_TYPE* type = nullptr;
    ULONG fetched = 0;
    if (types->Next(1, &type, &fetched) != S_OK || type == nullptr) return false;
    const bool converts = ConvertsToMp3(choice, *type);
    DeleteMediaType(type);
    return converts;
}

bool ConvertsToMp3(AudioChoice choice, const AM_MEDIA_TYPE& type) {
    if (choice == AudioChoice::Keep) return false;
    if (choice == AudioChoice::Mp3WhenNeeded) return !PlayersDecode(type);
    if (choice == AudioChoice::Mp3OrAc3) return !CertifiedPlayersDecode(type);
    return true;
}
