/* The whole C interface of libtavrel. */
#ifndef TAVREL_TAVREL_H
#define TAVREL_TAVREL_H

#include "tavrel/8021x_config.h"
#include "tavrel/general_utilities.h"
#include "tavrel/kerberos_CAC_config.h"
#include "tavrel/kerberos_config.h"
#include "tavrel/kerberos_data.h"
#include "tavrel/kerberos_utilities.h"
#include "tavrel/pam_config.h"
#include "tavrel/samba_config.h"
#include "tavrel/samba_data.h"
#include "tavrel/samba_utilities.h"
#include "tavrel/tavrel_init.h"

#endif
