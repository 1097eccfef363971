#!/usr/bin/python3
"""A FUSE file system that passes a folder through and waits DELAY seconds in
every lookup of a file's attributes: a stand-in for a network share, whose
every stat costs a round trip.

    slowfs.py SOURCE MOUNTPOINT DELAY

It stays in the foreground until the mount point is unmounted. The kernel
keeps no attributes or names between calls, so every stat reaches it.
"""
import errno
import os
import sys
import time

from fusepy import FUSE, FuseOSError, Operations


class SlowPassthrough(Operations):
    def __init__(self, root, delay):
        self.root = root
        self.delay = delay

    def _path(self, path):
        return os.path.join(self.root, path.lstrip("/"))

    def getattr(self, path, fh=None):
        time.sleep(self.delay)
        try:
            st = os.fstat(fh) if fh is not None else os.lstat(self._path(path))
        except OSError as error:
            raise FuseOSError(error.errno)
        keys = ("st_mode", "st_nlink", "st_uid", "st_gid", "st_size", "st_atime", "st_mtime", "st_ctime")
        return {key: getattr(st, key) for key in keys}

    def readdir(self, path, fh):
        return [".", ".."] + os.listdir(self._path(path))

    def access(self, path, mode):
        if not os.access(self._path(path), mode):
            raise FuseOSError(errno.EACCES)

    def open(self, path, flags):
        return os.open(self._path(path), flags)

    def create(self, path, mode, fi=None):
        return os.open(self._path(path), os.O_WRONLY | os.O_CREAT | os.O_EXCL, mode)

    def read(self, path, size, offset, fh):
        return os.pread(fh, size, offset)

    def write(self, path, data, offset, fh):
        return os.pwrite(fh, data, offset)

    def truncate(self, path, length, fh=None):
        os.truncate(self._path(path), length)

    def fsync(self, path, datasync, fh):
        os.fsync(fh)

    def release(self, path, fh):
        os.close(fh)

    def rename(self, old, new):
        os.rename(self._path(old), self._path(new))

    def unlink(self, path):
        os.unlink(self._path(path))

    def chmod(self, path, mode):
        os.chmod(self._path(path), mode)

    def chown(self, path, uid, gid):
        os.chown(self._path(path), uid, gid)

    def utimens(self, path, times=None):
        os.utime(self._path(path), times)


def main():
    source, mountpoint, delay = sys.argv[1], sys.argv[2], float(sys.argv[3])
    FUSE(SlowPassthrough(os.path.abspath(source), delay), mountpoint, foreground=True,
         attr_timeout=0, entry_timeout=0, negative_timeout=0, big_writes=True, max_write=131072)


if __name__ == "__main__":
    main()
