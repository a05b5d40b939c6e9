/* Plays a sound file through velunor on the default device, using only its
 * C header, and prints each answer: velunor_play FILE [VOLUME [PAN]]. */
#include <stdio.h>
#include <string.h>
#include <time.h>

#include "velunor.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: velunor_play FILE [VOLUME [PAN]]\n");
        return 2;
    }
    printf("init %s\n", VN_Init());
    char handle[32];
    snprintf(handle, sizeof handle, "%s", VN_LoadSound(argv[1]));
    printf("load %s\n", strcmp(handle, "No") == 0 ? "No" : "handle");
    if (strcmp(handle, "No") == 0) return 1;
    if (argc > 2) printf("volume %s\n", VN_SetSoundVol(handle, argv[2]));
    if (argc > 3) printf("pan %s\n", VN_SetSoundPan(handle, argv[3]));
    printf("length %s\n", VN_GetSoundLength(handle));
    printf("play %s\n", VN_PlaySound(handle));
    printf("playing %s\n", VN_IsSoundPlaying(handle));
    /* Waits for the end, for at most ten seconds. */
    const struct timespec tick = {0, 10 * 1000 * 1000};
    for (int i = 0; i < 1000 && strcmp(VN_IsSoundPlaying(handle), "1") == 0; ++i)
        nanosleep(&tick, NULL);
    printf("ended %s\n", strcmp(VN_IsSoundPlaying(handle), "0") == 0 ? "yes" : "no");
    printf("free %s\n", VN_FreeSound(handle));
    return 0;
}
