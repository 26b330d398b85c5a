#pragma once
/* Line settings through Linux's termios2, which takes any baud rate (BOTHER) on USB
   serial devices and pseudo-terminals alike. Kept apart in LineSettings.c because
   <asm/termbits.h> clashes with glibc's <termios.h>. */

#ifdef __cplusplus
extern "C"
{
#endif

    /* Opaque room for the settings found at opening, restored on close. */
    typedef struct CorvalinSavedLine
    {
        unsigned char bytes[128];
    } CorvalinSavedLine;

    /* Each returns 0 on success and -1 with errno set on failure. */
    int corvalin_save_line(int fd, CorvalinSavedLine* saved);
    /* Restores the saved settings, but with HUPCL and hardware flow control off. */
    int corvalin_restore_line(int fd, const CorvalinSavedLine* saved);
    /* Raw bytes at `baud`, 8N1, receiver on, modem lines ignored, no XON/XOFF, no
       hardware flow control, no NUL discarding, no hang-up on close. */
    int corvalin_set_raw_line(int fd, int baud);

#ifdef __cplusplus
}
#endif
