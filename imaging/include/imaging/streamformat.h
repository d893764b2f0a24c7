/* Stream formats: the code the camera streams its frames in (its
 * StreamStatus) and a RAW file's header keeps, one definition for the driver
 * API, the camera application and the viewer. decode.h says which decoder
 * reads each format. */
#ifndef IMAGING_STREAMFORMAT_H
#define IMAGING_STREAMFORMAT_H

enum StreamFormat {
  STREAM_OFF = 0,         /* no stream: the camera sends nothing */
  STREAM_RAW8 = 1,        /* plain 8-bit samples */
  STREAM_PACKED12 = 2,    /* 12-bit packed */
  STREAM_COMPRESSED8 = 3, /* compressed 8-bit line records */
  STREAM_PACKED10 = 4     /* 10-bit packed */
};

#endif
