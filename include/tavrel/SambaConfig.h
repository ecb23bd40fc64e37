/* The SMB client configuration for filing to a share (/etc/smb.conf.file).
 * The plain function is usable from C; class SambaConfig is C++ only, which
 * is why tavrel.h does not include this header. */
#ifndef TAVREL_SAMBACONFIG_H
#define TAVREL_SAMBACONFIG_H

#include <stddef.h>
#include <stdio.h>

#include "tavrel/export.h"

TAVREL_BEGIN_DECLS

/* Writes /etc/smb.conf.file for server and path with the standard file calls:
 * 0 when written; -1 when refused (null, empty or over-long server, a control
 * character in either, a backslash in the server) or when the file could not
 * be opened or completed. Every backslash of path becomes a slash, in place. */
TAVREL_API int build_smb_conf_for_filing(char *server, char *path);

TAVREL_END_DECLS

#ifdef __cplusplus

/* Writes the filing configuration through four virtual file operations, so a
 * subclass can send the text elsewhere. The interfaces entry is written
 * straight to the stream that fopen returned. fopen is given the real path
 * (under TAVREL_ROOT when that is set). */
class TAVREL_API SambaConfig {
public:
    virtual size_t fwrite(const void *buffer, unsigned size, unsigned count, FILE *stream);
    virtual FILE *fopen(const char *path, const char *mode);
    virtual int fflush(FILE *stream);
    virtual int fclose(FILE *stream);

    /* As the plain function above. */
    int build_smb_conf_for_filing(char *server, char *path);
};

#endif

#endif
