#include "platform/posix/LineSettings.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <errno.h>
#include <string.h>
#include <sys/ioctl.h>

_Static_assert(sizeof(struct termios2) <= sizeof(((CorvalinSavedLine*)0)->bytes),
               "CorvalinSavedLine too small for termios2");

int corvalin_save_line(int fd, CorvalinSavedLine* saved)
{
    struct termios2 settings;
    if (ioctl(fd, TCGETS2, &settings) != 0)
        return -1;
    memset(saved, 0, sizeof *saved);
    memcpy(saved->bytes, &settings, sizeof settings);
    return 0;
}

int corvalin_restore_line(int fd, const CorvalinSavedLine* saved)
{
    struct termios2 settings;
    memcpy(&settings, saved->bytes, sizeof settings);
    /* With HUPCL the last close would drop DTR and RTS, with CRTSCTS the bridge would
       drive RTS itself: neither may touch the lines the box may be wired to. */
    settings.c_cflag &= ~(tcflag_t)(HUPCL | CRTSCTS);
    return ioctl(fd, TCSETS2, &settings);
}

int corvalin_set_raw_line(int fd, int baud)
{
    struct termios2 settings;
    if (ioctl(fd, TCGETS2, &settings) != 0)
        return -1;

    settings.c_iflag &=
        ~(tcflag_t)(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
    settings.c_iflag |= IGNPAR;
    settings.c_oflag &= ~(tcflag_t)OPOST;
    settings.c_lflag &= ~(tcflag_t)(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    settings.c_cflag &= ~(tcflag_t)(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL | CBAUD | (CBAUD << IBSHIFT));
    settings.c_cflag |= CS8 | CREAD | CLOCAL | BOTHER | (BOTHER << IBSHIFT);
    settings.c_ispeed = (speed_t)baud;
    settings.c_ospeed = (speed_t)baud;
    /* Reads never block in the driver: the caller waits with poll() and its own deadlines. */
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;

    return ioctl(fd, TCSETS2, &settings);
}
