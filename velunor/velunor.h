/* velunor: plays WAV and Ogg Vorbis sound files.
 *
 * Every argument and every result is a zero-terminated text; numbers travel
 * as decimal text ("  12abc" reads as 12, a text without digits as 0). A
 * result lives in the library's one return buffer until the next call, so
 * copy it before calling again. Units: volume in hundredths of a decibel of
 * attenuation (0 full, -10000 silent), pan from -10000 (left) to 10000
 * (right), frequency in samples per second, positions and lengths in bytes
 * of the sound's own sample format.
 *
 * Sounds play into the OpenAL context that is current in the process when
 * VN_Init is called; without one the library opens the default device. */
#ifndef VELUNOR_H
#define VELUNOR_H

#ifdef __cplusplus
extern "C" {
#endif

const char* VN_Init(void);                                          /* "Yes" / "No" */
const char* VN_LoadSound(const char* file);                         /* a handle, or "No" */
const char* VN_PlaySound(const char* handle);                       /* "0" */
const char* VN_LoopSound(const char* handle);                       /* "0" */
const char* VN_StopSound(const char* handle);                       /* "0" */
const char* VN_PauseSound(const char* handle);                      /* "1" paused now, else "0" */
const char* VN_ResumeSound(const char* handle);                     /* "1" resumed, else "0" */
const char* VN_IsSoundPaused(const char* handle);                   /* "1" / "0" */
const char* VN_IsSoundPlaying(const char* handle);                  /* "1" / "0", "-1" bad handle */
const char* VN_IsSoundLooping(const char* handle);                  /* "1" / "0", "-1" bad handle */
const char* VN_FreeSound(const char* handle);                       /* "0" */
const char* VN_SetSoundVol(const char* handle, const char* volume); /* "1" / "0" */
const char* VN_GetSoundVol(const char* handle, const char* unused); /* volume or "-1" */
const char* VN_SetSoundPan(const char* handle, const char* pan);    /* "1" / "0" */
const char* VN_GetSoundPan(const char* handle);                     /* pan or "0" */
const char* VN_SetSoundFreq(const char* handle, const char* freq);  /* "1" / "0" */
const char* VN_GetSoundFreq(const char* handle);                    /* frequency or "-1" */
const char* VN_SetSoundPosition(const char* handle, const char* position); /* "1" / "0" */
const char* VN_GetSoundPosition(const char* handle); /* bytes, "-1" bad handle, "-2" no buffer */
const char* VN_GetSoundLength(const char* handle);   /* bytes, "-1" bad handle, "-2" no buffer */

#ifdef __cplusplus
}
#endif

#endif
