#pragma once

/* Command-by-command reader of OBJ text files (and their companion files: materials, maps,
 * lights, ...). The reader does not build geometry; it splits the file into commands and hands
 * each one over as a decoded command record, which the caller turns into whatever it needs.
 *
 * Usage:
 *     TobjParser* p = PARSE_init(path);             // picks the parser by file extension
 *     if (p && p->initFile(p, path, 0, NULL) == 0)
 *         for (TobjCommand* c; (c = p->command(p)) != NULL;)
 *             ... c->code ...                        // negative: the line was malformed
 *     if (p) p->close(p);
 *
 * The header is plain C so that C callers can read the records.
 *
 * Threading and lifetime: all handles share process-wide line and token buffers, scratch arrays
 * and one command record. Only one thread may use the reader at a time, and a record, together
 * with every array and text it points to, is valid only until the next call of
 * parse_command_atok. */

#include <stdio.h>

#include "brindle/base/Export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Command codes: the keyword's position in the keyword table. Only the codes below are ever
 * returned; every other keyword (comments, materials, l, p, o, mg, ...) is read and skipped. */
enum {
    OBJ_CMD_V = 0,
    OBJ_CMD_F = 1,
    OBJ_CMD_FO = 2,
    OBJ_CMD_VT = 3,
    OBJ_CMD_VN = 4,
    OBJ_CMD_USEMTL = 5,
    OBJ_CMD_MTLLIB = 10,
    OBJ_CMD_G = 24,
    OBJ_CMD_S = 33,
    OBJ_CMD_CSTYPE = 43,
    OBJ_CMD_DEG = 44,
    OBJ_CMD_STEP = 46,
    OBJ_CMD_VP = 47,
    OBJ_CMD_BMAT = 48,
    OBJ_CMD_PARM = 49,
    OBJ_CMD_CURV2 = 50,
    OBJ_CMD_CURV3 = 51,
    OBJ_CMD_SURF = 52,
    OBJ_CMD_TRIM = 53,
    OBJ_CMD_SCRV = 54,
    OBJ_CMD_HOLE = 55,
    OBJ_CMD_CON = 57,
    OBJ_CMD_END = 59,
    OBJ_CMD_CURV = 61,
    OBJ_CMD_STECH = 62,
    OBJ_CMD_CTECH = 63
};

/* Error codes, found in TobjCommand.code and in PARSE_last_error(). */
enum {
    OBJ_ERR_MALFORMED = -100, /* wrong argument count, mixed face-vertex forms, a face index
                                 beyond 32 bits, end of file inside a joined line, too many group
                                 names, a line longer than the 150000-byte line buffer, UTF-16
                                 text or lines ending in CR alone */
    OBJ_ERR_OPEN = -101,      /* the file cannot be opened */
    OBJ_ERR_MEMORY = -102,    /* memory exhausted */
    OBJ_ERR_NO_PARSER = -104, /* no parser for the file extension */
    OBJ_ERR_TOKENS = -107     /* more than 25000 tokens on one line */
};

enum { OBJ_MAX_GROUPS = 256, OBJ_GROUP_NAME_CHARS = 128 };

/* Why the last error record was made, for messages (PARSE_error_detail). */
enum {
    OBJ_WHY_NONE = 0,
    OBJ_WHY_FEW_VALUES,  /* fewer values than the command needs (`needed`, `given`) */
    OBJ_WHY_VALUE_COUNT, /* a count the command does not take (con: 8 or 11 values) */
    OBJ_WHY_CORNER_FORM, /* face corner `token` is not written like the first one */
    OBJ_WHY_INDEX_RANGE, /* index of face corner `token` does not fit in 32 bits; `text` */
    OBJ_WHY_GROUP_COUNT, /* more than 256 group names */
    OBJ_WHY_LONG_LINE,   /* a line longer than the 150000-byte line buffer */
    OBJ_WHY_JOIN_AT_END, /* a backslash joins the last line to nothing */
    OBJ_WHY_TOKENS,      /* more than 25000 values on one line */
    OBJ_WHY_MEMORY,      /* memory exhausted */
    OBJ_WHY_UTF16,       /* the file starts like UTF-16 text (a byte-order mark or NUL bytes) */
    OBJ_WHY_CR_ONLY      /* the lines end in a carriage return alone */
};

/* The reason for the last error record, valid until the next call of parse_command_atok.
 * `keyword` is the code of the command the line began with (-1 when the fault is not in one
 * command); `message` says in words what was expected, without file or line. */
typedef struct TobjErrorDetail {
    int why;
    int keyword;
    int token;
    int needed;
    int given;
    char text[40];
    char message[160];
} TobjErrorDetail;

/* v, vt, vn, vp: the coordinates as written. */
typedef struct TobjFloatList {
    int count;
    float* values;
} TobjFloatList;

/* f, fo: one entry per face corner, indices exactly as written (1-based or negative). */
typedef struct TobjFace {
    int count;
    int* vertices;
    int reserved;
    int* normals;  /* NULL when the corners carry no normal index */
    int* textures; /* NULL when the corners carry no texture index */
} TobjFace;

/* usemtl, mtllib: the first argument. */
typedef struct TobjText {
    const char* text;
} TobjText;

/* g: names longer than 128 characters are truncated. */
typedef struct TobjGroups {
    char names[OBJ_MAX_GROUPS][OBJ_GROUP_NAME_CHARS + 1];
    int count;
} TobjGroups;

/* s: text "off" and group 0 for "s off" and "s 0"; otherwise empty text and the group number. */
typedef struct TobjSmoothing {
    char text[4];
    int group;
} TobjSmoothing;

/* cstype: "cstype rat bspline" gives type "bspline" and rational 1. */
typedef struct TobjCurveType {
    const char* type;
    int rational;
} TobjCurveType;

/* deg (u and v wrapped to signed 8 bits) and step (u wrapped to signed 16 bits). v is 0 when
 * absent. */
typedef struct TobjUvInts {
    int hasV;
    int u;
    int v;
} TobjUvInts;

/* bmat: direction 1 for u, 2 for v. */
typedef struct TobjBasisMatrix {
    int count;
    int direction;
    float* values;
} TobjBasisMatrix;

/* parm: direction 1 for u, 2 for v. */
typedef struct TobjParameters {
    int direction;
    int count;
    float* values;
} TobjParameters;

/* curv2 */
typedef struct TobjCurve2 {
    int count;
    int reserved0;
    int* indices;
    int reserved[2];
} TobjCurve2;

/* curv3 */
typedef struct TobjCurve3 {
    int count;
    int* indices;
    int reserved[3];
} TobjCurve3;

/* curv: `untouched` keeps whatever the previous command left in the record. */
typedef struct TobjCurve {
    float u0, u1;
    int untouched[2];
    int count;
    int* indices;
    int reserved[3];
} TobjCurve;

/* surf: indices holds the vertex index of each reference (the part before the first '/'). */
typedef struct TobjSurface {
    float s0, s1, t0, t1;
    int count;
    int* indices;
    int reserved[3];
} TobjSurface;

/* trim, scrv, hole: count triples (u0 u1 curve); params holds u0,u1 of each triple and curves its
 * curve index. When paired, every token carries a second value after '/', stored at the same
 * position of params2 and curves2 (NULL otherwise; 0 for a token without '/'). */
typedef struct TobjTrim {
    int paired;
    int count;
    float* params;
    float* params2;
    int* curves;
    int* curves2;
} TobjTrim;

/* con: `untouched` keeps whatever the previous command left in the record. */
typedef struct TobjConnect {
    int surface1, surface2;
    int curve1, curve2;
    int untouched;
    float q0First, q1First;
    float q0Second, q1Second;
} TobjConnect;

/* stech, ctech: technique 3 cparm, 4 curv, 5 cspace, 6 cparma or imp, 7 cparmb; an unknown
 * technique leaves the field as the previous command left it. "imp" sets both values to 0. */
typedef struct TobjTechnique {
    const char* keyword;
    int technique;
    int hasSecond;
    float value1;
    float value2;
} TobjTechnique;

/* The decoded command. `code` selects the member of `as`:
 *   OBJ_CMD_V, VT, VN, VP          floats
 *   OBJ_CMD_F, FO                  face
 *   OBJ_CMD_USEMTL, MTLLIB         text
 *   OBJ_CMD_G                      groups
 *   OBJ_CMD_S                      smoothing
 *   OBJ_CMD_CSTYPE                 curveType
 *   OBJ_CMD_DEG, STEP              uv
 *   OBJ_CMD_BMAT                   basis
 *   OBJ_CMD_PARM                   parameters
 *   OBJ_CMD_CURV2                  curve2
 *   OBJ_CMD_CURV3                  curve3
 *   OBJ_CMD_CURV                   curve
 *   OBJ_CMD_SURF                   surface
 *   OBJ_CMD_TRIM, SCRV, HOLE       trim
 *   OBJ_CMD_CON                    connect
 *   OBJ_CMD_END                    (nothing)
 *   OBJ_CMD_STECH, CTECH           technique
 *   negative                       error code, nothing else */
typedef struct TobjCommand {
    int code;
    union {
        TobjFloatList floats;
        TobjFace face;
        TobjText text;
        TobjGroups groups;
        TobjSmoothing smoothing;
        TobjCurveType curveType;
        TobjUvInts uv;
        TobjBasisMatrix basis;
        TobjParameters parameters;
        TobjCurve2 curve2;
        TobjCurve3 curve3;
        TobjCurve curve;
        TobjSurface surface;
        TobjTrim trim;
        TobjConnect connect;
        TobjTechnique technique;
    } as;
} TobjCommand;

typedef struct TobjParser TobjParser;

/* A reader handle. The function pointers are the same as the plain functions below. */
struct TobjParser {
    FILE* stream;
    int lineNumber; /* physical lines read so far, joined lines included */
    char* path;
    int optionCount;
    char** options;
    int reserved;
    TobjParser* context; /* the handle whose stream parse_command_atok reads: the handle itself */
    int closed;          /* 0 while a file is open, -1 otherwise */
    int (*initFile)(TobjParser* handle, const char* path, int optionCount, const char* const* options);
    int (*close)(TobjParser* handle);
    TobjCommand* (*command)(TobjParser* handle);
};

/* Chooses the parser by the extension at the end of path (".obj" when none matches) and returns
 * a new handle without a file; NULL on failure (see PARSE_last_error). */
BRINDLE_API TobjParser* PARSE_init(const char* path);
/* Returns a new handle without a file, or NULL when memory is exhausted. */
BRINDLE_API TobjParser* PARSE_open_atok(void);
/* Opens path for reading and keeps copies of path and options. Returns 0, OBJ_ERR_OPEN or
 * OBJ_ERR_MEMORY. A handle that already has a file closes it first. */
BRINDLE_API int parse_init_file_atok(TobjParser* handle, const char* path, int optionCount, const char* const* options);
/* The next command, or NULL at the end of the file. Errors are reported in the record and
 * reading goes on with the next line. */
BRINDLE_API TobjCommand* parse_command_atok(TobjParser* handle);
/* Closes the file and frees the handle. Returns 1. */
BRINDLE_API int parse_close_atok(TobjParser* handle);
/* The last error code reported by PARSE_init, PARSE_open_atok or parse_command_atok (0 after
 * PARSE_init succeeds). */
BRINDLE_API int PARSE_last_error(void);
/* Why parse_command_atok made its last error record. */
BRINDLE_API const TobjErrorDetail* PARSE_error_detail(void);

#ifdef __cplusplus
}
#endif
