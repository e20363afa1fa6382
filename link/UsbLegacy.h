#pragma once
// The libusb 0.1 interface that the USB link calls, built on libusb-1.0.
//
// The search works as 0.1 does: the bus folders and device nodes under the
// folder that USB_DEVFS_PATH names, else /dev/bus/usb; every node's
// descriptors are read from the node itself. usb_open opens the node and
// hands the descriptor to libusb-1.0 (libusb_wrap_sys_device) on a context
// that does no device discovery of its own, so neither sysfs nor udev is
// needed; the program watches udev for arrival and removal itself.
//
// Unlike 0.1, any number of threads may transfer on one handle at once: each
// transfer waits for its own completion only. A transfer that ends in a
// time-out or an error after data moved reports the data, never the error:
// nothing the device sent is thrown away. usb_release_interface ends the
// transfers running on the handle, and none starts on it (-19) until an
// interface is claimed again; usb_close ends them too.
//
// Results are those of 0.1: 0 or more for success (for a transfer the bytes
// moved), otherwise a negative errno:
//   -110 (ETIMEDOUT)  the transfer's time-out ran out with no data moved
//   -32  (EPIPE)      the endpoint stalled (it stays halted until usb_clear_halt)
//   -19  (ENODEV)     the device is gone, or the transfer was ended by
//                     usb_release_interface or usb_close
//   -5   (EIO)        any other failure of the request or the transfer
//   -75  (EOVERFLOW)  the device sent more than the buffer holds
//   -16  (EBUSY)      another program holds the interface
//   -13  (EACCES), -2 (ENOENT), -22 (EINVAL), -12 (ENOMEM), -4 (EINTR),
//   -38  (ENOSYS)     as their names say
// usb_strerror gives the text of the last failure in the calling thread.
//
// The same functions are also offered by the scripted bus of the tests
// (tests/usb/FakeUsb.h), linked in place of this layer.
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum {
    USB_DT_DEVICE = 0x01,
    USB_DT_CONFIG = 0x02,
    USB_DT_INTERFACE = 0x04,
    USB_DT_ENDPOINT = 0x05,
    USB_DT_DEVICE_SIZE = 18,
    USB_DT_CONFIG_SIZE = 9,
    USB_DT_INTERFACE_SIZE = 9,
    USB_DT_ENDPOINT_SIZE = 7,
    USB_ENDPOINT_DIR_MASK = 0x80,
    USB_ENDPOINT_TYPE_MASK = 0x03,
    USB_ENDPOINT_TYPE_CONTROL = 0,
    USB_ENDPOINT_TYPE_ISOCHRONOUS = 1,
    USB_ENDPOINT_TYPE_BULK = 2,
    USB_ENDPOINT_TYPE_INTERRUPT = 3,
};

// Longest name of a bus folder or a device node kept in the records.
#define USB_NAME_MAX 255

struct usb_endpoint_descriptor {
    uint8_t bLength;
    uint8_t bDescriptorType;
    uint8_t bEndpointAddress; // bit 7: IN
    uint8_t bmAttributes;     // 0 control, 1 isochronous, 2 bulk, 3 interrupt (bits 0-1)
    uint16_t wMaxPacketSize;
    uint8_t bInterval;
};

struct usb_interface_descriptor {
    uint8_t bLength;
    uint8_t bDescriptorType;
    uint8_t bInterfaceNumber;
    uint8_t bAlternateSetting;
    uint8_t bNumEndpoints; // entries of endpoint
    uint8_t bInterfaceClass;
    uint8_t bInterfaceSubClass;
    uint8_t bInterfaceProtocol;
    uint8_t iInterface;
    struct usb_endpoint_descriptor* endpoint;
};

// One interface with its alternate settings.
struct usb_interface {
    struct usb_interface_descriptor* altsetting;
    int num_altsetting;
};

struct usb_config_descriptor {
    uint8_t bLength;
    uint8_t bDescriptorType;
    uint16_t wTotalLength;
    uint8_t bNumInterfaces; // entries of interface
    uint8_t bConfigurationValue;
    uint8_t iConfiguration;
    uint8_t bmAttributes;
    uint8_t MaxPower;
    struct usb_interface* interface;
};

struct usb_device_descriptor {
    uint8_t bLength;
    uint8_t bDescriptorType;
    uint16_t bcdUSB;
    uint8_t bDeviceClass;
    uint8_t bDeviceSubClass;
    uint8_t bDeviceProtocol;
    uint8_t bMaxPacketSize0;
    uint16_t idVendor;
    uint16_t idProduct;
    uint16_t bcdDevice;
    uint8_t iManufacturer;
    uint8_t iProduct;
    uint8_t iSerialNumber;
    uint8_t bNumConfigurations; // entries of config
};

struct usb_bus;

// A device found by the search. The records stay valid until the end of the
// program, also after the device has gone from the list.
struct usb_device {
    struct usb_device* next;
    struct usb_device* prev;
    char filename[USB_NAME_MAX + 1]; // the node's name in its bus folder
    struct usb_bus* bus;
    struct usb_device_descriptor descriptor;
    struct usb_config_descriptor* config;
};

struct usb_bus {
    struct usb_bus* next;
    struct usb_bus* prev;
    char dirname[USB_NAME_MAX + 1]; // the bus folder's name
    struct usb_device* devices;
};

typedef struct usb_dev_handle usb_dev_handle;

// Makes the library ready; may be called again at any time.
void usb_init(void);
// 0: no messages from the library; higher levels let libusb-1.0 log.
void usb_set_debug(int level);
// Reads the bus folders again; the number of busses that came or went.
int usb_find_busses(void);
// Reads the device nodes of every bus again; the number of devices that came
// or went.
int usb_find_devices(void);
// The busses the last search found, each with its devices.
struct usb_bus* usb_get_busses(void);

// Opens the device's node; null on failure (usb_strerror tells why).
usb_dev_handle* usb_open(struct usb_device* dev);
// Ends every transfer still running on the handle (-19 to its caller), waits
// until none is, and closes the handle.
int usb_close(usb_dev_handle* dev);
int usb_set_configuration(usb_dev_handle* dev, int configuration);
int usb_claim_interface(usb_dev_handle* dev, int interface);
// Gives the interface back. The transfers running on the handle end (-19):
// the kernel ends them, and where the release fails the layer does.
int usb_release_interface(usb_dev_handle* dev, int interface);
int usb_clear_halt(usb_dev_handle* dev, unsigned int ep);

// Transfers of at most `timeout` ms (0: no time-out).
int usb_bulk_write(usb_dev_handle* dev, int ep, const char* bytes, int size, int timeout);
int usb_bulk_read(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout);
int usb_interrupt_write(usb_dev_handle* dev, int ep, const char* bytes, int size, int timeout);
int usb_interrupt_read(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout);

// The text of the calling thread's last failure.
char* usb_strerror(void);

#ifdef __cplusplus
}
#endif
